#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The readers of text that reaches the program from outside (definitions in a --layouts folder,
// SQL in them, Modify and filter expressions, the query window's values, typed dates and
// numbers), each as a function over arbitrary bytes. libFuzzer drives them in the fuzz build
// (scripts/fuzz); CorpusReplayTest feeds them the kept corpus in every build. Each returns 0,
// and calls abort() when the reader breaks one of its own promises (a round trip that does not
// hold, a condition that is not valid SQL), so that the fuzzer reports it.
namespace fuzz {

using Run = int (*)(const std::uint8_t *data, std::size_t size);

struct Target
{
    const char *name; // also the corpus folder: tests/fuzz/corpus/<name>/
    Run run;
};

int sqlLexer(const std::uint8_t *data, std::size_t size);
int filterExpression(const std::uint8_t *data, std::size_t size);
int propertyExpression(const std::uint8_t *data, std::size_t size);
int definitionJson(const std::uint8_t *data, std::size_t size);
int queryCondition(const std::uint8_t *data, std::size_t size);
int datesAndNumbers(const std::uint8_t *data, std::size_t size);

const std::vector<Target> &targets();

} // namespace fuzz
