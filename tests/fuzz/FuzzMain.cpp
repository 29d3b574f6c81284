// libFuzzer's entry for one target, chosen when the fuzz build compiles this file per target.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return fuzz::HM_FUZZ_TARGET(data, size);
}
