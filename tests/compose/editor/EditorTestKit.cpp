#include "tests/compose/editor/EditorTestKit.h"

#include "tests/base/TempDir.h"

#include <memory>
#include <turbojpeg.h>

namespace tavrin::test {

namespace {
struct TjDeleter {
    void operator()(void* h) const { tjDestroy(h); }
};
} // namespace

bool WriteSolidJpeg(const std::string& path, int w, int h, Rgb colour) {
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = uint8_t(colour.r);
        rgb[i + 1] = uint8_t(colour.g);
        rgb[i + 2] = uint8_t(colour.b);
    }
    std::unique_ptr<void, TjDeleter> tj(tjInitCompress());
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (!tj || tjCompress2(tj.get(), rgb.data(), w, w * 3, h, TJPF_RGB, &out, &size, TJSAMP_420, 95,
                           0) != 0) {
        return false;
    }
    WriteFile(path, std::string(reinterpret_cast<const char*>(out), size));
    tjFree(out);
    return true;
}

bool ReadJpeg(const std::string& path, TJpeg& out) {
    const std::string bytes = ReadFile(path);
    std::unique_ptr<void, TjDeleter> tj(tjInitDecompress());
    int sub = 0;
    int space = 0;
    auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (!tj || bytes.empty() ||
        tjDecompressHeader3(tj.get(), data, bytes.size(), &out.w, &out.h, &sub, &space) != 0) {
        return false;
    }
    out.rgb.resize(size_t(out.w) * out.h * 3);
    return tjDecompress2(tj.get(), data, bytes.size(), out.rgb.data(), out.w, out.w * 3, out.h,
                         TJPF_RGB, 0) == 0;
}

} // namespace tavrin::test
