#include "compose/ScreenLayout.h"

#include "base/Text.h"
#include "compose/CombineOut.h"
#include "compose/CombineVideo.h"
#include "compose/JpegToYUV420.h"
#include "compose/PlanFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
}

namespace tavrin {

namespace {

int64_t RoundUp16(int64_t v) {
    return (v + 15) / 16 * 16;
}

// v measured on a canvas of size `from`, on one of size `to`.
int32_t Scaled(int32_t v, int from, int to) {
    if (from == to) {
        return v;
    }
    return int32_t(std::lround(double(v) * to / from));
}

} // namespace

bool TScreenLayout::initialize(int dst_w, int dst_h) {
    checkedID = -1;
    nLastLayoutID = -1;
    clearProject();
    if (dst_w <= 0 || dst_h <= 0 || dst_w % 2 != 0 || dst_h % 2 != 0) {
        return false;
    }
    nYUVWidth = dst_w;
    nYUVHeight = dst_h;
    const size_t luma = size_t(dst_w) * dst_h;
    // A scene whose image is missing shows the programme's dark background.
    pYUVBikImage.assign(luma * 3 / 2, TCombineVideo::kBackUV);
    std::fill_n(pYUVBikImage.begin(), luma, TCombineVideo::kBackY);
    pBikFrame.reset(av_frame_alloc());
    if (!pBikFrame) {
        return false;
    }
    pBikFrame->format = AV_PIX_FMT_YUV420P;
    pBikFrame->width = dst_w;
    pBikFrame->height = dst_h;
    av_image_fill_arrays(pBikFrame->data, pBikFrame->linesize, pYUVBikImage.data(),
                         AV_PIX_FMT_YUV420P, dst_w, dst_h, 1);
    return true;
}

void TScreenLayout::SetOutput(TCombineOut* out) {
    // A new pipeline starts with a dark canvas: the next scene must copy
    // its background in even when it is the scene used last.
    if (out != Output) {
        nLastLayoutID = -1;
    }
    Output = out;
}

void TScreenLayout::clearProject() {
    ProjectHead = rProjectHead{};
    rI.clear();
    scenes.clear();
    for (auto& list : layout) {
        list.clear();
    }
    layoutAll.clear();
}

int TScreenLayout::loadProject(const std::string& sFileName) {
    checkedID = -1;
    nLastLayoutID = -1;
    if (pYUVBikImage.empty()) {
        return -1;
    }
    try {
        TPlanRecords plan;
        const TPlanRead read = ReadPlanFile(sFileName, plan);
        if (read.result == 1 || read.result == -1) {
            return read.result;
        }
        // The runtime takes whatever a JSON object holds: a plan that the
        // editor would reject still shows the scenes it can.
        clearProject();
        if (read.result != 0) {
            return -1;
        }
        ProjectHead.name = plan.head.name;
        ProjectHead.rtmp = plan.head.rtmp;
        ProjectHead.filename = sFileName;

        for (tavrin::rImage& stored : plan.images) {
            rImage image;
            image.id = stored.id;
            image.name = std::move(stored.name);
            image.filename = std::move(stored.filename);
            image.pImage.resize(pYUVBikImage.size());
            if (JpegToYUV420(image.filename, "", image.pImage.data(), nYUVHeight, nYUVWidth) != 0) {
                return -2;
            }
            rI.push_back(std::move(image));
        }

        std::vector<rFontStyle> styles;
        for (const tavrin::rFontStyle& stored : plan.styles) {
            rFontStyle f;
            f.id = stored.id;
            f.name = stored.name;
            f.font = stored.font;
            f.size = stored.size;
            f.x = stored.x;
            f.y = stored.y;
            f.color = PlanColorHex(stored.color);
            styles.push_back(std::move(f));
        }

        std::vector<int> groups;
        scenes.reserve(plan.scenes.size());
        for (const tavrin::rLayout& stored : plan.scenes) {
            const size_t n = std::min<size_t>(stored.rectangle.size(), kMaxRects);
            ++ProjectHead.layoutcount;
            rLayout scene;
            // Runtime ids are positions in stored-id order.
            scene.id = int32_t(scenes.size()) + 1;
            scene.image = stored.image;
            scene.name = stored.name;
            for (size_t i = 0; i < n; ++i) {
                const int32_t id = stored.rectangle[i];
                const auto it =
                    std::find_if(plan.rects.begin(), plan.rects.end(),
                                 [id](const tavrin::rRectangle& r) { return r.id == id; });
                if (it != plan.rects.end()) {
                    scene.rectangle.push_back(it->rect);
                    ++scene.rectCount;
                }
            }
            for (const tavrin::rText& t : stored.text) {
                const int32_t styleId = t.fontStyle;
                const auto it =
                    std::find_if(styles.begin(), styles.end(),
                                 [styleId](const rFontStyle& f) { return f.id == styleId; });
                if (it == styles.end()) {
                    continue;
                }
                rText text;
                text.fontStyle = *it;
                text.fontStyle.x = t.x;
                text.fontStyle.y = t.y;
                text.name = t.name;
                scene.text.push_back(std::move(text));
                ++scene.textCount;
            }
            scenes.push_back(std::move(scene));
            groups.push_back(int(n));
        }
        // The scene list is complete: references into it stay valid.
        for (size_t i = 0; i < scenes.size(); ++i) {
            layout[size_t(groups[i])].push_back(&scenes[i]);
            layoutAll.push_back(&scenes[i]);
        }
        return 0;
    } catch (...) {
        clearProject();
        return -1;
    }
}

int TScreenLayout::relaodProject(bool bOnlyRestLayoutID) {
    if (bOnlyRestLayoutID) {
        nLastLayoutID = -1;
        return 0;
    }
    if (ProjectHead.layoutcount == 0 || ProjectHead.filename.empty()) {
        return -1;
    }
    const std::string fileName = ProjectHead.filename;
    return loadProject(fileName);
}

int TScreenLayout::GetListForThisRectCount(int nRectCount, int32_t& nCheckedID,
                                           const rLayout* const*& p) const {
    nCheckedID = checkedID;
    if (nRectCount < 0 || nRectCount > kMaxRects) {
        return -1;
    }
    const std::vector<const rLayout*>& list = nRectCount == 0 ? layoutAll : layout[nRectCount];
    if (list.empty()) {
        return -1;
    }
    p = list.data();
    return int(list.size());
}

std::string TScreenLayout::ColorToRGB(int32_t color) {
    return PlanColorHex(color);
}

std::string TScreenLayout::SceneTextFilter(const rLayout& scene) {
    std::string s;
    for (size_t j = 0; j < scene.text.size(); ++j) {
        const rText& t = scene.text[j];
        if (j == 0) {
            s += "[in]";
        }
        s += "drawtext=fontfile=sy.otf:fontcolor=" + t.fontStyle.color +
             ":fontsize=" + IntToStr(t.fontStyle.size) + ":text='" + DrawTextQuoted(t.name) +
             "':x=" + IntToStr(t.fontStyle.x) + ":y=" + IntToStr(t.fontStyle.y);
        s += j + 1 == scene.text.size() ? "[out]" : ",";
    }
    return s;
}

void TScreenLayout::SceneAreas(const std::vector<rRect>& rects, int canvasW, int canvasH, int progW,
                               int progH, std::vector<rRect>& ext, std::vector<rRect>& delivery) {
    ext.clear();
    delivery.clear();
    for (const rRect& r : rects) {
        const int64_t sw = std::max(Scaled(r.width, canvasW, progW), 0);
        const int64_t h = std::max(Scaled(r.height, canvasH, progH), 0);
        const int64_t w = (sw + 1) / 2 * 2; // even width
        ext.push_back({Scaled(r.left, canvasW, progW), Scaled(r.top, canvasH, progH), int32_t(w),
                       int32_t(h)});
        // Cover the rectangle at 16:9; the compositor takes the centre
        // columns and the top rows.
        int64_t a = 0;
        int64_t b = 0;
        if (w * 9 < h * 16) {
            a = h * 16 / 9;
            b = h;
        } else {
            a = w;
            b = w * 9 / 16;
        }
        // An empty rectangle still gets a picture a scaler can make.
        a = std::min<int64_t>(std::max<int64_t>(RoundUp16(a), 16), progW);
        b = std::min<int64_t>(std::max<int64_t>(RoundUp16(b), 16), progH);
        delivery.push_back({0, 0, int32_t(a), int32_t(b)});
    }
}

void TScreenLayout::DrawTexts(const rLayout& scene) {
    // A text that cannot be drawn leaves the background without texts.
    if (Filter.initialize(SceneTextFilter(scene), nYUVWidth, nYUVHeight) == 0) {
        AVFrame* out = nullptr;
        if (Filter.PushFrame(pBikFrame.get(), out) == 0 && out != nullptr) {
            if (out->width == nYUVWidth && out->height == nYUVHeight &&
                out->format == AV_PIX_FMT_YUV420P) {
                av_image_copy(pBikFrame->data, pBikFrame->linesize,
                              const_cast<const uint8_t**>(out->data), out->linesize,
                              AV_PIX_FMT_YUV420P, nYUVWidth, nYUVHeight);
            }
            av_frame_unref(out);
        }
    }
    Filter.Destroy();
}

const uint8_t* TScreenLayout::ProgrammeBackground(int progW, int progH) {
    if (progW == nYUVWidth && progH == nYUVHeight) {
        return pYUVBikImage.data();
    }
    if (progW <= 0 || progH <= 0) {
        return nullptr;
    }
    if (progW != nProgWidth || progH != nProgHeight) {
        pYUVProgImage.assign(size_t(progW) * progH * 3 / 2, 0);
        nProgWidth = progW;
        nProgHeight = progH;
    }
    ScaleCtx.reset(sws_getCachedContext(ScaleCtx.release(), nYUVWidth, nYUVHeight,
                                        AV_PIX_FMT_YUV420P, progW, progH, AV_PIX_FMT_YUV420P,
                                        SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!ScaleCtx) {
        return nullptr;
    }
    uint8_t* dst[4] = {};
    int dstStride[4] = {};
    av_image_fill_arrays(dst, dstStride, pYUVProgImage.data(), AV_PIX_FMT_YUV420P, progW, progH, 1);
    if (sws_scale(ScaleCtx.get(), pBikFrame->data, pBikFrame->linesize, 0, nYUVHeight, dst,
                  dstStride) != progH) {
        return nullptr;
    }
    return pYUVProgImage.data();
}

int TScreenLayout::UseThisLayout(int nIndex) {
    if (Output == nullptr) {
        return -1;
    }
    if (nIndex < 1 || size_t(nIndex) > scenes.size()) {
        return -2;
    }
    const rLayout& scene = scenes[size_t(nIndex) - 1];
    checkedID = nIndex;

    // Without a matching picture the buffer keeps what it holds.
    const size_t bytes = pYUVBikImage.size();
    const auto image = std::find_if(rI.begin(), rI.end(), [&scene, bytes](const rImage& i) {
        return i.id == scene.image && i.pImage.size() == bytes;
    });
    if (image != rI.end()) {
        std::memcpy(pYUVBikImage.data(), image->pImage.data(), pYUVBikImage.size());
    }
    if (scene.textCount > 0) {
        DrawTexts(scene);
    }

    const AVFrame* programme = Output->ProgrammeFrame();
    const int progW = programme != nullptr ? programme->width : nYUVWidth;
    const int progH = programme != nullptr ? programme->height : nYUVHeight;

    TCombArea_Ext area;
    area.bExt = true;
    area.bNeedCover = scene.image != 0;
    if (area.bNeedCover) {
        area.pYUVBuf = ProgrammeBackground(progW, progH);
        // A background that could not be made is no background: the
        // compositor then paints its dark colour.
        area.bNeedCover = area.pYUVBuf != nullptr;
    }
    area.count = scene.rectCount;
    SceneAreas(scene.rectangle, nYUVWidth, nYUVHeight, progW, progH, area.Ext,
               area.Ext_ForInterface);
    area.bNeedChangeCOver = nIndex != nLastLayoutID;
    nLastLayoutID = nIndex;
    Output->SetCombArea_EX(area);
    return scene.rectCount;
}

} // namespace tavrin
