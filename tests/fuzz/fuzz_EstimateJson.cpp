// The estimate reader under libFuzzer (scripts/test.sh --fuzz); replay.cpp feeds it the inputs kept here
// in every test run. Any input may be refused, but only with a place and without a raw control byte; an
// accepted input must save to a text that reads back and saves to the same text.
#include <EstimateJson.h>

#include <QRegularExpression>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QRegularExpression placed(R"(^f\.json: (line \d+, column \d+|(top level|format|audit|works)[^:]*): [^\x00-\x1f]+$)");
    QString error;
    const auto estimate = EstimateJson::parse(QByteArray(reinterpret_cast<const char*>(data), int(size)), "f.json", &error);
    const QByteArray saved = estimate ? EstimateJson::serialize(*estimate) : QByteArray();
    const auto reread = estimate ? EstimateJson::parse(saved, "f.json", &error) : nullptr;
    if (estimate ? !reread || EstimateJson::serialize(*reread) != saved : !placed.match(error).hasMatch())
        std::abort();
    return 0;
}
