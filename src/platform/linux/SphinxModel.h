#pragma once
// Where the PocketSphinx English model lives, how the decoder is configured,
// and loading it. PocketSphinx's own log goes to the diagnostics log.
#include "PocketSphinxRecognizer.h"

#include <QString>

struct ps_decoder_s;

namespace vox {

struct SphinxModel {
    QString dir;
    QString hmm, lm, dict;
    // The acoustic model, language model and dictionary are all there.
    bool filesPresent = false;
    // Second (flat-lexicon) pass at every utterance end.
    bool fwdflat = false;

    // The model of `options` (or the system one) and the pass choice.
    static SphinxModel locate(const PocketSphinxOptions &options);
    // A decoder over the model, nullptr when it cannot be loaded. `seconds`
    // is how long the load took.
    ps_decoder_s *load(double &seconds) const;
};

} // namespace vox
