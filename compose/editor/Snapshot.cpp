#include "compose/editor/Snapshot.h"

#include "base/Message.h"
#include "compose/editor/InterLayout.h"

#include <SDL.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <turbojpeg.h>

namespace tavrin {

namespace {

struct TjDeleter {
    void operator()(void* h) const { tjDestroy(h); }
};
using TjPtr = std::unique_ptr<void, TjDeleter>;

struct TjBufDeleter {
    void operator()(unsigned char* p) const { tjFree(p); }
};

} // namespace

std::string SnapshotFileName(std::time_t t, int w, int h) {
    std::tm local{};
    localtime_r(&t, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H-%M-%S", &local);
    return std::string(stamp) + "(" + std::to_string(w) + "x" + std::to_string(h) + ").jpg";
}

bool BmpToJpeg(const std::string& bmpFile, const std::string& jpegFile, int quality) {
    TSdlSurfacePtr loaded(SDL_LoadBMP(bmpFile.c_str()));
    if (!loaded) {
        return false;
    }
    // One known byte order for the compressor, whatever the BMP held.
    TSdlSurfacePtr rgb(SDL_ConvertSurfaceFormat(loaded.get(), SDL_PIXELFORMAT_RGB24, 0));
    TjPtr tj(tjInitCompress());
    if (!rgb || !tj) {
        return false;
    }
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    const int rc =
        tjCompress2(tj.get(), static_cast<const unsigned char*>(rgb->pixels), rgb->w, rgb->pitch,
                    rgb->h, TJPF_RGB, &out, &outSize, TJSAMP_420, quality, TJFLAG_ACCURATEDCT);
    std::unique_ptr<unsigned char, TjBufDeleter> owned(out);
    if (rc != 0) {
        return false;
    }
    std::ofstream file(jpegFile, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out), std::streamsize(outSize));
    file.close();
    return bool(file);
}

std::string TakeSnapshot(TInterLayout& view, int w, int h, std::time_t t) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(view.Project().WorkPath()) / "snapshot";
    const fs::path jpeg = folder / SnapshotFileName(t, w, h);
    const fs::path bmp = folder / (jpeg.stem().string() + ".bmp");
    std::error_code ec;
    fs::create_directories(folder, ec);
    bool ok = !view.Project().WorkPath().empty() && fs::is_directory(folder, ec);
    if (ok) {
        TDisplay port;
        ok = view.RenderTo(port, w, h) && port.saveBmp(w, h, bmp.string()) &&
             BmpToJpeg(bmp.string(), jpeg.string(), kSnapshotQuality);
        fs::remove(bmp, ec);
    }
    if (!ok) {
        fs::remove(jpeg, ec);
        ShowMessage("未能成功生成抓图", TMsgIcon::Warning);
        return "";
    }
    ShowMessage("生成的JPG图片存于当前活动所在文件夹的snapshot文件夹中：\n" + jpeg.string(),
                TMsgIcon::Information);
    return jpeg.string();
}

} // namespace tavrin
