#pragma once

#include "office/DescribedError.h"

namespace quorvane::office {

// A workbook or sheet could not be saved. Inside the writers the description is the reason alone
// ("No space left on device"); the public save functions put the file and what was being saved in
// front of it on the way out, which is what the user reads.
class SaveError : public DescribedError {
public:
    using DescribedError::DescribedError;
};

// The save was stopped from outside (SaveOptions::stop): the target is as it was, and nothing of the
// save is left behind.
class SaveStopped : public SaveError {
public:
    using SaveError::SaveError;
};

} // namespace quorvane::office
