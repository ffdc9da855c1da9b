#include "compose/PlanFile.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

namespace tavrin {

namespace {

// Keys keep the order they are written in, so saved files read like the
// editor's own.
using Json = nlohmann::ordered_json;

// A missing or mistyped member reads as 0; numbers beyond 32 bits saturate.
int32_t IntOf(const Json& j, const char* key) {
    const auto it = j.find(key);
    if (it == j.end() || !it->is_number()) {
        return 0;
    }
    if (it->is_number_float()) {
        const double d = it->get<double>();
        return d >= INT32_MAX ? INT32_MAX : d <= INT32_MIN ? INT32_MIN : static_cast<int32_t>(d);
    }
    if (it->is_number_unsigned()) {
        return static_cast<int32_t>(std::min<uint64_t>(it->get<uint64_t>(), INT32_MAX));
    }
    return static_cast<int32_t>(std::clamp<int64_t>(it->get<int64_t>(), INT32_MIN, INT32_MAX));
}

// A missing or mistyped member reads as "".
std::string StrOf(const Json& j, const char* key) {
    const auto it = j.find(key);
    return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// The array under key, or null when it is absent or not an array.
const Json* ArrayOf(const Json& j, const char* key) {
    const auto it = j.find(key);
    return it != j.end() && it->is_array() ? &*it : nullptr;
}

std::string FileNamePart(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A present list must be an array of objects.
bool ObjectArray(const Json& doc, const char* key, bool required) {
    const auto it = doc.find(key);
    if (it == doc.end()) {
        return !required;
    }
    if (!it->is_array()) {
        return false;
    }
    return std::all_of(it->begin(), it->end(), [](const Json& e) { return e.is_object(); });
}

bool WellFormed(const Json& doc) {
    const auto userid = doc.find("userid");
    if (userid == doc.end() || !userid->is_number()) {
        return false;
    }
    for (const char* key : {"name", "createtime", "lastrefreshtime", "rtmp"}) {
        const auto it = doc.find(key);
        if (it == doc.end() || !it->is_string()) {
            return false;
        }
    }
    for (const char* key : {"image", "rectangle", "fontstyle", "sence"}) {
        if (!ObjectArray(doc, key, false)) {
            return false;
        }
    }
    if (const Json* scenes = ArrayOf(doc, "sence")) {
        for (const Json& e : *scenes) {
            if (!ObjectArray(e, "rectangle", true) || !ObjectArray(e, "text", true)) {
                return false;
            }
        }
    }
    return true;
}

rLayout SceneOf(const Json& e, int32_t id) {
    rLayout scene;
    scene.id = id;
    scene.name = StrOf(e, "name");
    scene.image = IntOf(e, "image");
    if (const Json* rects = ArrayOf(e, "rectangle")) {
        for (const Json& r : *rects) {
            scene.rectangle.push_back(IntOf(r, "id"));
        }
    }
    if (const Json* texts = ArrayOf(e, "text")) {
        for (const Json& t : *texts) {
            rText text;
            text.id = IntOf(t, "id");
            text.fontStyle = IntOf(t, "fontstyle");
            text.name = StrOf(t, "name");
            text.x = IntOf(t, "x");
            text.y = IntOf(t, "y");
            scene.text.push_back(std::move(text));
        }
    }
    return scene;
}

void ReadRecords(const Json& doc, const std::string& folder, TPlanRecords& plan) {
    plan.head.userid = IntOf(doc, "userid");
    plan.head.name = StrOf(doc, "name");
    plan.head.createtime = StrOf(doc, "createtime");
    plan.head.lastrefreshtime = StrOf(doc, "lastrefreshtime");
    plan.head.rtmp = StrOf(doc, "rtmp");
    if (const Json* list = ArrayOf(doc, "image")) {
        for (const Json& e : *list) {
            rImage image;
            image.id = IntOf(e, "id");
            image.name = StrOf(e, "name");
            // Only the file name counts: the picture lies next to the plan.
            image.filename = folder + FileNamePart(StrOf(e, "filename"));
            plan.images.push_back(std::move(image));
        }
    }
    if (const Json* list = ArrayOf(doc, "rectangle")) {
        for (const Json& e : *list) {
            rRectangle r;
            r.id = IntOf(e, "id");
            r.name = StrOf(e, "name");
            r.rect = {IntOf(e, "x"), IntOf(e, "y"), IntOf(e, "w"), IntOf(e, "h")};
            plan.rects.push_back(std::move(r));
        }
    }
    if (const Json* list = ArrayOf(doc, "fontstyle")) {
        for (const Json& e : *list) {
            rFontStyle f;
            f.id = IntOf(e, "id");
            f.name = StrOf(e, "name");
            f.font = StrOf(e, "font");
            f.size = IntOf(e, "size");
            f.x = IntOf(e, "x");
            f.y = IntOf(e, "y");
            f.color = IntOf(e, "color");
            plan.styles.push_back(std::move(f));
        }
    }
    if (const Json* list = ArrayOf(doc, "sence")) {
        // Scenes are kept in ascending id order; equal ids keep file order.
        std::vector<std::pair<size_t, int32_t>> order;
        for (size_t i = 0; i < list->size(); ++i) {
            order.emplace_back(i, IntOf((*list)[i], "id"));
        }
        std::stable_sort(order.begin(), order.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });
        for (const auto& [pos, id] : order) {
            plan.scenes.push_back(SceneOf((*list)[pos], id));
        }
    }
}

} // namespace

TPlanRead ParsePlanText(const std::string& text, const std::string& folder, TPlanRecords& plan) {
    TPlanRead read;
    const Json doc = Json::parse(text, nullptr, false);
    if (doc.is_discarded()) {
        read.result = 1;
        return read;
    }
    if (!doc.is_object()) {
        read.result = kPlanNotObject;
        return read;
    }
    read.wellFormed = WellFormed(doc);
    TPlanRecords records;
    ReadRecords(doc, folder, records);
    plan = std::move(records);
    read.result = 0;
    return read;
}

TPlanRead ReadPlanFile(const std::string& path, TPlanRecords& plan) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return {};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return {};
    }
    return ParsePlanText(text, PlanFolderOf(path), plan);
}

std::string PlanText(const TPlanRecords& plan) {
    Json doc = Json::object();
    doc["userid"] = plan.head.userid;
    doc["createtime"] = plan.head.createtime;
    doc["lastrefreshtime"] = plan.head.lastrefreshtime;
    doc["name"] = plan.head.name;
    doc["rtmp"] = plan.head.rtmp;
    Json images = Json::array();
    for (const rImage& image : plan.images) {
        images.push_back(
            {{"id", image.id}, {"name", image.name}, {"filename", FileNamePart(image.filename)}});
    }
    doc["image"] = std::move(images);
    Json rects = Json::array();
    for (const rRectangle& r : plan.rects) {
        rects.push_back({{"id", r.id},
                         {"name", r.name},
                         {"x", r.rect.left},
                         {"y", r.rect.top},
                         {"w", r.rect.width},
                         {"h", r.rect.height}});
    }
    doc["rectangle"] = std::move(rects);
    Json styles = Json::array();
    for (const rFontStyle& f : plan.styles) {
        styles.push_back({{"id", f.id},
                          {"name", f.name},
                          {"font", f.font},
                          {"color", f.color},
                          {"size", f.size},
                          {"x", f.x},
                          {"y", f.y}});
    }
    doc["fontstyle"] = std::move(styles);
    Json scenes = Json::array();
    for (const rLayout& scene : plan.scenes) {
        Json sceneRects = Json::array();
        for (int32_t id : scene.rectangle) {
            sceneRects.push_back({{"id", id}});
        }
        Json texts = Json::array();
        for (const rText& t : scene.text) {
            texts.push_back({{"id", t.id},
                             {"fontstyle", t.fontStyle},
                             {"name", t.name},
                             {"x", t.x},
                             {"y", t.y}});
        }
        scenes.push_back({{"id", scene.id},
                          {"name", scene.name},
                          {"image", scene.image},
                          {"rectangle", std::move(sceneRects)},
                          {"text", std::move(texts)}});
    }
    doc["sence"] = std::move(scenes);
    // Compact and ASCII-only; a name that is not valid UTF-8 is written with
    // replacement characters rather than failing the save.
    return doc.dump(-1, ' ', true, Json::error_handler_t::replace);
}

int WritePlanFile(const std::string& path, const TPlanRecords& plan) {
    const std::string text = PlanText(plan);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return out ? 0 : -3;
}

uint32_t PlanColorToRgb(int32_t color) {
    const auto c = uint32_t(color);
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

int32_t RgbToPlanColor(uint32_t rgb) {
    return int32_t(PlanColorToRgb(int32_t(rgb & 0xFFFFFFu)));
}

std::string PlanColorHex(int32_t color) {
    char text[8];
    std::snprintf(text, sizeof text, "%06X", unsigned(PlanColorToRgb(color)));
    return text;
}

std::string PlanFolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace tavrin
