// libFuzzer target over kvzip check's own reading of an archive: the end
// record, the central directory walk, the stored-name rules and the clash
// search, which see the raw bytes before the reader does. Beyond the
// sanitizers it checks that every problem names an entry that was read or
// the archive as a whole.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "../tools/kvzip/archive_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ArchiveRecords records = CheckArchiveRecords(data, size);
  for (const ArchiveProblem& problem : records.problems) {
    // A bad central header is reported at the index it was met, which was
    // not read into the entries.
    if (problem.index < -1 || problem.index > static_cast<int>(records.entries.size())) {
      std::fprintf(stderr, "archive_check_fuzzer: problem \"%s\" at index %d of %zu entries\n",
                   problem.problem.c_str(), problem.index, records.entries.size());
      std::abort();
    }
  }
  return 0;
}
