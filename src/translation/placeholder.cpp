// Placeholder until the folder has sources of its own; delete it then.
