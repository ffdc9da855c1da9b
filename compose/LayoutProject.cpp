#include "compose/LayoutProject.h"

#include "compose/JpegToYUV420.h"
#include "compose/PlanFile.h"

#include <algorithm>
#include <climits>
#include <ctime>

namespace tavrin {

namespace {

std::string FormatLocalTime(const char* format) {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char text[40];
    std::strftime(text, sizeof text, format, &local);
    return text;
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

} // namespace

std::string PlanTimeNow() {
    return FormatLocalTime("%Y-%m-%d %H:%M:%S");
}

int TLayoutProject::newProject(int32_t userid, const std::string& sProjectName,
                               const std::string& sFileName) {
    clearProject();
    JSONFilename = sFileName;
    workPath = PlanFolderOf(sFileName);
    // A new plan carries its creation time with a trailing blank, in both
    // time keys, until the first save refreshes the second.
    const std::string created = PlanTimeNow() + " ";
    plan.head.userid = userid;
    plan.head.name = sProjectName;
    plan.head.createtime = created;
    plan.head.lastrefreshtime = created;
    plan.head.rtmp.clear();
    bNeedSave = true;
    return 0;
}

int TLayoutProject::loadProject(const std::string& sFileName) {
    TPlanRecords read;
    const TPlanRead result = ReadPlanFile(sFileName, read);
    if (result.result == kPlanNotObject || (result.result == 0 && !result.wellFormed)) {
        return kPlanInvalid;
    }
    if (result.result != 0) {
        return result.result;
    }
    bNeedSave = false;
    clearProject();
    JSONFilename = sFileName;
    workPath = PlanFolderOf(sFileName);
    plan = std::move(read);
    for (rImage& image : plan.images) {
        loadImageYUV(image.filename, image.pImage);
    }
    return 0;
}

int TLayoutProject::saveProject() {
    if (JSONFilename.empty()) {
        return -1;
    }
    plan.head.lastrefreshtime = PlanTimeNow();
    for (rLayout& scene : plan.scenes) {
        // A scene draws its rectangles in the order of the project's list;
        // references to deleted rectangles are dropped here.
        std::vector<std::pair<size_t, int32_t>> members;
        for (int32_t id : scene.rectangle) {
            const auto it = std::find_if(plan.rects.begin(), plan.rects.end(),
                                         [id](const rRectangle& r) { return r.id == id; });
            if (it != plan.rects.end()) {
                members.emplace_back(static_cast<size_t>(it - plan.rects.begin()), id);
            }
        }
        std::stable_sort(members.begin(), members.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        scene.rectangle.clear();
        for (const auto& member : members) {
            scene.rectangle.push_back(member.second);
        }
    }
    if (const int written = WritePlanFile(JSONFilename, plan); written != 0) {
        return written;
    }
    bNeedSave = false;
    return 0;
}

bool TLayoutProject::getHeadInfo(rProjectHead& p) const {
    p = plan.head;
    return true;
}

void TLayoutProject::setHeadInfo(const std::string& name, const std::string& rtmp) {
    plan.head.name = name;
    plan.head.rtmp = rtmp;
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
        return first(plan.images);
    case kItemRectangle:
        return first(plan.rects);
    case kItemFontStyle:
        return first(plan.styles);
    case kItemLayout:
        return first(plan.scenes);
    default:
        return -1;
    }
}

int TLayoutProject::getItem(int nType, int32_t nID, void*& p) {
    void* found = nullptr;
    switch (nType) {
    case kItemImage:
        found = FindById(plan.images, nID);
        break;
    case kItemRectangle:
        found = FindById(plan.rects, nID);
        break;
    case kItemFontStyle:
        found = FindById(plan.styles, nID);
        break;
    case kItemLayout:
        found = FindById(plan.scenes, nID);
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
        image.id = id = NextId(plan.images, src.id);
        image.name = src.name;
        image.filename = src.filename;
        if (!image.filename.empty()) {
            loadImageYUV(image.filename, image.pImage);
        }
        plan.images.push_back(std::move(image));
        break;
    }
    case kItemRectangle: {
        rRectangle r = *static_cast<const rRectangle*>(pItem);
        r.id = id = NextId(plan.rects, r.id);
        int32_t maxOrder = 0;
        for (const rRectangle& x : plan.rects) {
            maxOrder = std::max(maxOrder, x.order);
        }
        r.order = maxOrder + 1;
        plan.rects.push_back(std::move(r));
        break;
    }
    case kItemFontStyle: {
        rFontStyle f = *static_cast<const rFontStyle*>(pItem);
        f.id = id = NextId(plan.styles, f.id);
        plan.styles.push_back(std::move(f));
        break;
    }
    case kItemLayout: {
        rLayout scene = *static_cast<const rLayout*>(pItem);
        scene.id = id = NextId(plan.scenes, scene.id);
        plan.scenes.push_back(std::move(scene));
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
        if (rImage* image = FindById(plan.images, src.id)) {
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
        if (rRectangle* r = FindById(plan.rects, src.id)) {
            found = true;
            *r = src;
        }
        break;
    }
    case kItemFontStyle: {
        const auto& src = *static_cast<const rFontStyle*>(pItem);
        id = src.id;
        if (rFontStyle* f = FindById(plan.styles, src.id)) {
            found = true;
            *f = src;
        }
        break;
    }
    case kItemLayout: {
        const auto& src = *static_cast<const rLayout*>(pItem);
        id = src.id;
        if (rLayout* scene = FindById(plan.scenes, src.id)) {
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
        removed = EraseById(plan.images, id);
        break;
    case kItemRectangle:
        removed = EraseById(plan.rects, id);
        break;
    case kItemFontStyle:
        removed = EraseById(plan.styles, id);
        break;
    case kItemLayout:
        removed = EraseById(plan.scenes, id);
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
        swapped = SwapById(plan.images, firstItemID, secondItemID);
        break;
    case kItemRectangle:
        swapped = SwapById(plan.rects, firstItemID, secondItemID);
        break;
    case kItemFontStyle:
        swapped = SwapById(plan.styles, firstItemID, secondItemID);
        break;
    case kItemLayout:
        // Scenes swap content while each position keeps its id, so the list
        // stays in ascending id order and the new order survives a reload.
        swapped = SwapById(plan.scenes, firstItemID, secondItemID);
        if (swapped) {
            std::swap(FindById(plan.scenes, firstItemID)->id,
                      FindById(plan.scenes, secondItemID)->id);
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
    const rLayout* source = FindById(plan.scenes, Layoutid);
    if (source == nullptr) {
        return -1;
    }
    rLayout copy = *source;
    copy.name += "-1";
    copy.id = NextId(plan.scenes, 0);
    plan.scenes.push_back(std::move(copy));
    return plan.scenes.back().id;
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
    plan.images.clear();
    plan.rects.clear();
    plan.styles.clear();
    plan.scenes.clear();
    plan.head = rProjectHead{};
}

} // namespace tavrin
