// The command line's --set values: whatever the settings, they are applied,
// built and warned about without misbehaving, and a setting that applies
// builds the same record as the window would from the same field texts.
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
        settings.push_back(input.String(40));
    TServoFields fields;
    if (cli::ApplySettings(fields, settings))
        return 0;
    try {
        const TServoConfig record = BuildConfig(fields, '.');
        cli::FieldWarnings(fields, record, '.');
        cli::DescribeRecord(record, true, '.');
        cli::RecordJson(record, true, '.').dump();
        const TServoFields shown = cli::FieldsFromRecord(record, '.');
        RVZ_FUZZ_REQUIRE(BuildConfig(shown, '.').NeutralSignal() == record.NeutralSignal());
    } catch (const ConversionError&) {
    }
    return 0;
}
