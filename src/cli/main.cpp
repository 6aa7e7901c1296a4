// voxleaf-cli: the headless tool.
#include <QCoreApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Voxleaf"));
    QCoreApplication::setApplicationName(QStringLiteral("Voxleaf"));
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("voxleaf-cli %s\n", VOX_VERSION);
        return 0;
    }
    std::printf("用法: voxleaf-cli [--version] [--help]\n");
    return argc > 1 && std::strcmp(argv[1], "--help") != 0 ? 2 : 0;
}
