#include "compose/LayoutProject.h"

#include "compose/JpegToYUV420.h"
#include "compose/PlanJson.h"

#include <algorithm>
#include <climits>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace tavrin {

using Json = planjson::Json;

namespace {

std::string FormatLocalTime(const char* format) {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char text[40];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

using planjson::FileNamePart;
using planjson::FolderOf;
using planjson::IntOf;
using planjson::StrOf;

// Each present list must be an array of objects.
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

template <typename T> int32_t NextId(const std::vector<T>& list, int32_t own) {
    int32_t maxId = std::max(own, 0);
    for (const T& item : list) {
        maxId = std::max(maxId, item.id);
    }
    return maxId == INT32_MAX ? INT32_MAX : maxId + 1;
}

template <typename T> T* FindById(std::vector<T>& list, int32_t id) {
    const auto it = std::find_if(list.begin(), list.end(), [id](const T& x) { return x.id == id; });
    return it == list.end() ? nullptr : &*it;
}

template <typename T> bool EraseById(std::vector<T>& list, int32_t id) {
    const auto it = std::find_if(list.begin(), list.end(), [id](const T& x) { return x.id == id; });
    if (it == list.end()) {
        return false;
    }
    list.erase(it);
    return true;
}

template <typename T> bool SwapById(std::vector<T>& list, int32_t a, int32_t b) {
    T* first = FindById(list, a);
    T* second = FindById(list, b);
    if (first == nullptr || second == nullptr) {
        return false;
    }
    std::swap(*first, *second);
    return true;
}

struct TParsedPlan {
    rProjectHead head;
    std::vector<rImage> images;
    std::vector<rRectangle> rects;
    std::vector<rFontStyle> styles;
    std::vector<rLayout> scenes;
};

// Builds the plan from a parsed document; false when it is not shaped like
// a plan (the caller then leaves the model unchanged).
bool ReadPlan(const Json& doc, const std::string& workPath, TParsedPlan& plan) {
    if (!doc.is_object()) {
        return false;
    }
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
    plan.head.userid = IntOf(doc, "userid");
    plan.head.name = StrOf(doc, "name");
    plan.head.createtime = StrOf(doc, "createtime");
    plan.head.lastrefreshtime = StrOf(doc, "lastrefreshtime");
    plan.head.rtmp = StrOf(doc, "rtmp");

    if (doc.contains("image")) {
        for (const Json& e : doc["image"]) {
            rImage image;
            image.id = IntOf(e, "id");
            image.name = StrOf(e, "name");
            // Only the file name counts: the picture lies next to the plan.
            image.filename = workPath + FileNamePart(StrOf(e, "filename"));
            plan.images.push_back(std::move(image));
        }
    }
    if (doc.contains("rectangle")) {
        for (const Json& e : doc["rectangle"]) {
            rRectangle r;
            r.id = IntOf(e, "id");
            r.name = StrOf(e, "name");
            r.rect = {IntOf(e, "x"), IntOf(e, "y"), IntOf(e, "w"), IntOf(e, "h")};
            plan.rects.push_back(std::move(r));
        }
    }
    if (doc.contains("fontstyle")) {
        for (const Json& e : doc["fontstyle"]) {
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
    if (doc.contains("sence")) {
        const Json& scenes = doc["sence"];
        // Scenes are kept in ascending id order; equal ids keep file order.
        std::vector<std::pair<size_t, int32_t>> order;
        for (size_t i = 0; i < scenes.size(); ++i) {
            order.emplace_back(i, IntOf(scenes[i], "id"));
        }
        std::stable_sort(order.begin(), order.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });
        for (const auto& [pos, id] : order) {
            const Json& e = scenes[pos];
            if (!ObjectArray(e, "rectangle", true) || !ObjectArray(e, "text", true)) {
                return false;
            }
            rLayout scene;
            scene.id = id;
            scene.name = StrOf(e, "name");
            scene.image = IntOf(e, "image");
            for (const Json& r : e["rectangle"]) {
                scene.rectangle.push_back(IntOf(r, "id"));
            }
            for (const Json& t : e["text"]) {
                rText text;
                text.id = IntOf(t, "id");
                text.fontStyle = IntOf(t, "fontstyle");
                text.name = StrOf(t, "name");
                text.x = IntOf(t, "x");
                text.y = IntOf(t, "y");
                scene.text.push_back(std::move(text));
            }
            plan.scenes.push_back(std::move(scene));
        }
    }
    return true;
}

} // namespace

std::string PlanTimeNow() {
    return FormatLocalTime("%Y-%m-%d %H:%M:%S");
}

int TLayoutProject::newProject(int32_t userid, const std::string& sProjectName,
                               const std::string& sFileName) {
    clearProject();
    JSONFilename = sFileName;
    workPath = FolderOf(sFileName);
    // A new plan carries its creation time with a trailing blank, in both
    // time keys, until the first save refreshes the second.
    const std::string created = PlanTimeNow() + " ";
    rP.userid = userid;
    rP.name = sProjectName;
    rP.createtime = created;
    rP.lastrefreshtime = created;
    rP.rtmp.clear();
    bNeedSave = true;
    return 0;
}

int TLayoutProject::loadProject(const std::string& sFileName) {
    struct stat st {};
    if (::stat(sFileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return -1;
    }
    std::ifstream in(sFileName, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const Json doc = Json::parse(text, nullptr, false);
    if (doc.is_discarded()) {
        return 1;
    }
    const std::string folder = FolderOf(sFileName);
    TParsedPlan plan;
    if (!ReadPlan(doc, folder, plan)) {
        return kPlanInvalid;
    }
    bNeedSave = false;
    clearProject();
    JSONFilename = sFileName;
    workPath = folder;
    rP = std::move(plan.head);
    rI = std::move(plan.images);
    rR = std::move(plan.rects);
    rF = std::move(plan.styles);
    layout = std::move(plan.scenes);
    for (rImage& image : rI) {
        loadImageYUV(image.filename, image.pImage);
    }
    return 0;
}

int TLayoutProject::saveProject() {
    if (JSONFilename.empty()) {
        return -1;
    }
    Json doc = Json::object();
    doc["userid"] = rP.userid;
    doc["createtime"] = rP.createtime;
    rP.lastrefreshtime = PlanTimeNow();
    doc["lastrefreshtime"] = rP.lastrefreshtime;
    doc["name"] = rP.name;
    doc["rtmp"] = rP.rtmp;
    Json images = Json::array();
    for (const rImage& image : rI) {
        images.push_back(
            {{"id", image.id}, {"name", image.name}, {"filename", FileNamePart(image.filename)}});
    }
    doc["image"] = std::move(images);
    Json rects = Json::array();
    for (const rRectangle& r : rR) {
        rects.push_back({{"id", r.id},
                         {"name", r.name},
                         {"x", r.rect.left},
                         {"y", r.rect.top},
                         {"w", r.rect.width},
                         {"h", r.rect.height}});
    }
    doc["rectangle"] = std::move(rects);
    Json styles = Json::array();
    for (const rFontStyle& f : rF) {
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
    for (rLayout& scene : layout) {
        // A scene draws its rectangles in the order of the project's list;
        // references to deleted rectangles are dropped here.
        std::vector<std::pair<size_t, int32_t>> members;
        for (int32_t id : scene.rectangle) {
            const auto it = std::find_if(rR.begin(), rR.end(),
                                         [id](const rRectangle& r) { return r.id == id; });
            if (it != rR.end()) {
                members.emplace_back(static_cast<size_t>(it - rR.begin()), id);
            }
        }
        std::stable_sort(members.begin(), members.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        scene.rectangle.clear();
        Json sceneRects = Json::array();
        for (const auto& member : members) {
            scene.rectangle.push_back(member.second);
            sceneRects.push_back({{"id", member.second}});
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
    const std::string text = doc.dump(-1, ' ', true, Json::error_handler_t::replace);
    std::ofstream out(JSONFilename, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        return -3;
    }
    bNeedSave = false;
    return 0;
}

bool TLayoutProject::getHeadInfo(rProjectHead& p) const {
    p = rP;
    return true;
}

void TLayoutProject::setHeadInfo(const std::string& name, const std::string& rtmp) {
    rP.name = name;
    rP.rtmp = rtmp;
    bNeedSave = true;
}

int TLayoutProject::getItemList(int nType, const void*& p) const {
    auto first = [&p](const auto& list) {
        if (!list.empty()) {
            p = &list.front();
        }
        return static_cast<int>(list.size());
    };
    switch (nType) {
    case kItemImage:
        return first(rI);
    case kItemRectangle:
        return first(rR);
    case kItemFontStyle:
        return first(rF);
    case kItemLayout:
        return first(layout);
    default:
        return -1;
    }
}

int TLayoutProject::getItem(int nType, int32_t nID, void*& p) {
    void* found = nullptr;
    switch (nType) {
    case kItemImage:
        found = FindById(rI, nID);
        break;
    case kItemRectangle:
        found = FindById(rR, nID);
        break;
    case kItemFontStyle:
        found = FindById(rF, nID);
        break;
    case kItemLayout:
        found = FindById(layout, nID);
        break;
    default:
        return -1;
    }
    if (found == nullptr) {
        return -1;
    }
    p = found;
    return nID;
}

int TLayoutProject::newItem(int nType, const void* pItem) {
    if (pItem == nullptr) {
        return -1;
    }
    int32_t id = -1;
    switch (nType) {
    case kItemImage: {
        const auto& src = *static_cast<const rImage*>(pItem);
        rImage image;
        image.id = id = NextId(rI, src.id);
        image.name = src.name;
        image.filename = src.filename;
        if (!image.filename.empty()) {
            loadImageYUV(image.filename, image.pImage);
        }
        rI.push_back(std::move(image));
        break;
    }
    case kItemRectangle: {
        rRectangle r = *static_cast<const rRectangle*>(pItem);
        r.id = id = NextId(rR, r.id);
        int32_t maxOrder = 0;
        for (const rRectangle& x : rR) {
            maxOrder = std::max(maxOrder, x.order);
        }
        r.order = maxOrder + 1;
        rR.push_back(std::move(r));
        break;
    }
    case kItemFontStyle: {
        rFontStyle f = *static_cast<const rFontStyle*>(pItem);
        f.id = id = NextId(rF, f.id);
        rF.push_back(std::move(f));
        break;
    }
    case kItemLayout: {
        rLayout scene = *static_cast<const rLayout*>(pItem);
        scene.id = id = NextId(layout, scene.id);
        layout.push_back(std::move(scene));
        break;
    }
    default:
        return -1;
    }
    bNeedSave = true;
    return id;
}

int TLayoutProject::modifyItem(int nType, const void* pItem) {
    if (pItem == nullptr) {
        return -1;
    }
    bool found = false;
    int32_t id = -1;
    switch (nType) {
    case kItemImage: {
        const auto& src = *static_cast<const rImage*>(pItem);
        id = src.id;
        if (rImage* image = FindById(rI, src.id)) {
            found = true;
            image->name = src.name;
            if (image->filename != src.filename) {
                image->filename = src.filename;
                image->pImage.reset();
                if (!image->filename.empty()) {
                    loadImageYUV(image->filename, image->pImage);
                }
            }
        }
        break;
    }
    case kItemRectangle: {
        const auto& src = *static_cast<const rRectangle*>(pItem);
        id = src.id;
        if (rRectangle* r = FindById(rR, src.id)) {
            found = true;
            *r = src;
        }
        break;
    }
    case kItemFontStyle: {
        const auto& src = *static_cast<const rFontStyle*>(pItem);
        id = src.id;
        if (rFontStyle* f = FindById(rF, src.id)) {
            found = true;
            *f = src;
        }
        break;
    }
    case kItemLayout: {
        const auto& src = *static_cast<const rLayout*>(pItem);
        id = src.id;
        if (rLayout* scene = FindById(layout, src.id)) {
            found = true;
            *scene = src;
        }
        break;
    }
    default:
        return -1;
    }
    if (found) {
        bNeedSave = true;
    }
    return id;
}

bool TLayoutProject::delItem(int nType, int32_t id) {
    bool removed = false;
    switch (nType) {
    case kItemImage:
        removed = EraseById(rI, id);
        break;
    case kItemRectangle:
        removed = EraseById(rR, id);
        break;
    case kItemFontStyle:
        removed = EraseById(rF, id);
        break;
    case kItemLayout:
        removed = EraseById(layout, id);
        break;
    default:
        break;
    }
    if (removed) {
        bNeedSave = true;
    }
    return removed;
}

bool TLayoutProject::exchangeItemOrder(int nType, int32_t firstItemID, int32_t secondItemID) {
    bool swapped = false;
    switch (nType) {
    case kItemImage:
        swapped = SwapById(rI, firstItemID, secondItemID);
        break;
    case kItemRectangle:
        swapped = SwapById(rR, firstItemID, secondItemID);
        break;
    case kItemFontStyle:
        swapped = SwapById(rF, firstItemID, secondItemID);
        break;
    case kItemLayout:
        // Scenes swap content while each position keeps its id, so the list
        // stays in ascending id order and the new order survives a reload.
        swapped = SwapById(layout, firstItemID, secondItemID);
        if (swapped) {
            std::swap(FindById(layout, firstItemID)->id, FindById(layout, secondItemID)->id);
        }
        break;
    default:
        break;
    }
    if (swapped) {
        bNeedSave = true;
    }
    return swapped;
}

int TLayoutProject::copyLayout(int32_t Layoutid) {
    const rLayout* source = FindById(layout, Layoutid);
    if (source == nullptr) {
        return -1;
    }
    rLayout copy = *source;
    copy.name += "-1";
    copy.id = NextId(layout, 0);
    layout.push_back(std::move(copy));
    return layout.back().id;
}

int TLayoutProject::loadImageYUV(const std::string& filename,
                                 std::shared_ptr<std::vector<uint8_t>>& pImage) {
    pImage = std::make_shared<std::vector<uint8_t>>(kPlanPictureBytes);
    if (JpegToYUV420(filename, "", pImage->data(), kPlanHeight, kPlanWidth) != 0) {
        // No picture rather than an undefined one: drawers skip a null
        // background, and a plan naming many unreadable files costs nothing.
        pImage.reset();
        return -2;
    }
    return 0;
}

void TLayoutProject::clearProject() {
    rI.clear();
    rR.clear();
    rF.clear();
    layout.clear();
    rP = rProjectHead{};
}

} // namespace tavrin
