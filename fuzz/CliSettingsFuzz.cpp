// The command line's --set values: whatever the settings (numbers of any
// length among them), they are applied, checked and built without
// misbehaving; values that are kept as given build a record that survives
// being shown, printed as JSON and read back.
#include <nlohmann/json.hpp>

#include <vector>

#include "Conversions.h"
#include "FuzzInput.h"
#include "NumberText.h"
#include "ServoValues.h"

using namespace rvz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    std::vector<std::string> settings;
    for (int i = input.Byte() % 8; i > 0; --i)
        settings.push_back(input.String(600));  // long enough for numbers beyond a double's range
    TServoFields fields;
    if (cli::ApplySettings(fields, settings))
        return 0;
    const auto problems = cli::FieldProblems(fields);
    try {
        const TServoConfig record = BuildConfig(fields, cli::kCliSeparator);
        cli::DescribeRecord(record, true);
        const std::string json = cli::RecordJson(record, true).dump();
        TServoFields again;
        RVZ_FUZZ_REQUIRE(!cli::FieldsFromJson(json, again));
        const TServoConfig fromJson = BuildConfig(again, cli::kCliSeparator);
        if (problems.empty())
            RVZ_FUZZ_REQUIRE(fromJson.Bytes == record.Bytes);
        RVZ_FUZZ_REQUIRE(BuildConfig(cli::FieldsFromRecord(record), '.').NeutralSignal() == record.NeutralSignal());
    } catch (const ConversionError&) {
        RVZ_FUZZ_REQUIRE(!problems.empty());
    }
    return 0;
}
