// Feeds each file named to the fuzz target, without libFuzzer: an input that once failed fails again
// if its fault comes back.
#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    for (int arg = 1; arg < argc; ++arg) {
        QFile file(QString::fromLocal8Bit(argv[arg]));
        const QByteArray input = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.constData()), size_t(input.size()));
    }
    return argc > 1 ? 0 : 1; // no input: the folders were not found
}
