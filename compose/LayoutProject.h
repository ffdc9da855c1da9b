// The in-memory model of one activity plan (.kvx): creates, loads and saves
// the file, hands out items by id and keeps every background decoded as a
// 1920 x 1080 YUV 4:2:0 picture. The layout editor is its only writer.
#pragma once

#include "compose/PlanFile.h"

#include <string>
#include <vector>

namespace tavrin {

// loadProject results besides 0, -1 (no file) and 1 (not JSON).
constexpr int kPlanInvalid = -2; // JSON, but not shaped like a plan

class TLayoutProject {
public:
    TLayoutProject() = default;
    ~TLayoutProject() { clearProject(); }
    TLayoutProject(const TLayoutProject&) = delete;
    TLayoutProject& operator=(const TLayoutProject&) = delete;

    int newProject(int32_t userid, const std::string& sProjectName, const std::string& sFileName);
    // 0, -1 no such file (or unreadable), 1 not JSON, kPlanInvalid when it
    // is no object or a head key or a scene's rectangle/text array is
    // missing or mistyped. On any failure the model keeps its content.
    int loadProject(const std::string& sFileName);
    // 0, -1 when no file name is set, -3 when the file cannot be written.
    int saveProject();

    bool getHeadInfo(rProjectHead& p) const;
    void setHeadInfo(const std::string& name, const std::string& rtmp);

    // Number of items of nType; p receives the first record when there is
    // one. -1 for an unknown kind.
    int getItemList(int nType, const void*& p) const;
    // nID and a pointer into the list (valid until the list changes), or -1.
    int getItem(int nType, int32_t nID, void*& p);
    // pItem points at an rImage, rRectangle, rFontStyle or rLayout as nType
    // says. Returns the new id, or -1 for an unknown kind.
    int newItem(int nType, const void* pItem);
    int modifyItem(int nType, const void* pItem);
    bool delItem(int nType, int32_t id);
    bool exchangeItemOrder(int nType, int32_t firstItemID, int32_t secondItemID);
    int copyLayout(int32_t Layoutid);

    bool getIfNeedSave() const { return bNeedSave; }
    void setSaveState() { bNeedSave = true; }

    const std::vector<rImage>& Images() const { return plan.images; }
    const std::vector<rRectangle>& Rectangles() const { return plan.rects; }
    const std::vector<rFontStyle>& FontStyles() const { return plan.styles; }
    const std::vector<rLayout>& Layouts() const { return plan.scenes; }
    const std::string& FileName() const { return JSONFilename; }
    const std::string& WorkPath() const { return workPath; }

private:
    int loadImageYUV(const std::string& filename, std::shared_ptr<std::vector<uint8_t>>& pImage);
    void clearProject();

    bool bNeedSave = false;
    std::string JSONFilename;
    std::string workPath;
    TPlanRecords plan;
};

// "yyyy-mm-dd hh:nn:ss" of the local time now.
std::string PlanTimeNow();

} // namespace tavrin
