// SPDX-License-Identifier: GPL-3.0-or-later
// The command line's values: whatever the record a command starts from and
// whatever the --set settings (numbers of any length among them), the
// record is built without misbehaving; a record taken strictly keeps every
// setting not given byte for byte, storing what it shows gives it back,
// and its JSON copies it exactly.
#include <nlohmann/json.hpp>

#include <vector>

#include "Conversions.h"
#include "FuzzInput.h"
#include "RecordInput.h"
#include "RecordJson.h"
#include "ServoValues.h"

using namespace rvz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    TServoConfig base;
    for (std::uint8_t& byte : base.Bytes)
        byte = input.Byte();
    std::vector<std::string> settings;
    for (int i = input.Byte() % 8; i > 0; --i)
        settings.push_back(input.String(600));  // long enough for numbers beyond a double's range
    std::vector<cli::GivenValue> given;
    if (cli::ParseSettings(settings, given))
        return 0;
    std::vector<std::string> problems;
    const TServoConfig record = cli::RecordWithValues(base, given, (input.Byte() & 1) != 0, problems);
    cli::DescribeRecord(record, true);
    if (!problems.empty())
        return 0;

    for (const Setting& info : kSettings) {
        TServoConfig kept = record;
        CopyField(kept, base, info.field);
        if (!cli::Gives(given, info.field))
            RVZ_FUZZ_REQUIRE(kept == record);
        // What the record shows, stored again, is what it holds; but for the
        // neutral position, whose 6.4 codes a microsecond show alike.
        TServoConfig again = record;
        const std::string shown = cli::ShownValue(record, info.field);
        if (info.field != Field::Lock && StoreField(again, info.field, shown, cli::kCliSeparator))
            RVZ_FUZZ_REQUIRE(again == record || info.field == Field::Neutral);
    }
    // Its JSON, read back onto any other record, copies it exactly.
    std::vector<cli::GivenValue> fromJson;
    RVZ_FUZZ_REQUIRE(!cli::ValuesFromJson(cli::RecordJson(record, true).dump(), "json", fromJson));
    std::vector<std::string> none;
    const TServoConfig copy = cli::RecordWithValues(TServoConfig{}, fromJson, false, none);
    for (const Setting& info : kSettings) {
        TServoConfig field = copy;
        CopyField(field, record, info.field);
        RVZ_FUZZ_REQUIRE(field == copy);
    }
    return 0;
}
