// The JSON form of a configuration. Any image, written as JSON and read back,
// is the same 4096 bytes; any text at all, read as that JSON, is either refused
// or gives an image whose readers stay inside it.
#include "cli/config_text.h"
#include "fuzz_support.h"

#include <QJsonDocument>

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size >= kImageSize) {
        ConfigImage image;
        std::memcpy(image.rawBytes(), data, kImageSize);
        const QByteArray json = QJsonDocument(ConfigText::toJson(image)).toJson();
        ConfigImage back;
        QString error;
        FUZZ_CHECK(ConfigText::fromJson(json, back, error));
        FUZZ_CHECK(back == image);
        return 0;
    }
    ConfigImage image;
    QString error;
    if (ConfigText::fromJson(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), image, error)) {
        const int ports = image.totalPorts();
        FUZZ_CHECK(image.deviceCount() <= static_cast<int>(kDeviceSlots));
        image.forEachRoute([&](const Route& r) {
            FUZZ_CHECK(r.source == Route::kRouter || (r.source >= 0 && r.source < ports));
            FUZZ_CHECK(r.destination == Route::kRouter || (r.destination >= 0 && r.destination < ports));
        });
    } else {
        FUZZ_CHECK(!error.isEmpty());
    }
    return 0;
}
