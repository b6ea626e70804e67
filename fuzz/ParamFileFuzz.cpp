// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter file: its first 16 bytes are the record, a shorter file is
// refused, and a saved record reads back the same.
#include <algorithm>

#include "FuzzFiles.h"
#include "FuzzInput.h"
#include "ParamFile.h"

using namespace rvz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto file = fuzz::ScratchFolder() / "in.svo";
    std::filesystem::remove(file);
    fuzz::WriteBytes(file, {data, size});
    TServoConfig record;
    record.Bytes.fill(0x5A);
    const TServoConfig before = record;
    const ParamFileResult read = ReadParamFile(file, record);
    if (size < TServoConfig::kSize) {
        RVZ_FUZZ_REQUIRE(read.error == ParamFileError::NotParameterFile);
        RVZ_FUZZ_REQUIRE(record == before);
        return 0;
    }
    RVZ_FUZZ_REQUIRE(read);
    RVZ_FUZZ_REQUIRE(std::equal(record.Bytes.begin(), record.Bytes.end(), data));

    // Saving over the file keeps its tail; a new file holds the 16 bytes.
    TServoConfig other = record;
    other.Bytes[0] ^= 0xFF;
    RVZ_FUZZ_REQUIRE(WriteParamFile(file, other));
    const auto bytes = fuzz::ReadBytes(file);
    RVZ_FUZZ_REQUIRE(bytes.size() == size);
    RVZ_FUZZ_REQUIRE(std::equal(other.Bytes.begin(), other.Bytes.end(), bytes.begin()));
    RVZ_FUZZ_REQUIRE(std::equal(bytes.begin() + 16, bytes.end(), data + 16));
    return 0;
}
