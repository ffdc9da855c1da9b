// Arbitrary .kvx text: reading must never crash, whatever reads must write
// text that reads back to the same records, and whatever the editor's model
// loads must save and load again with the same scenes. The scene runtime
// reads the same text and must list every scene it counted.
#include "base/Message.h"
#include "compose/LayoutProject.h"
#include "compose/PlanFile.h"
#include "compose/ScreenLayout.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string TempName(const char* tag) {
    return "/tmp/tavrin_fuzz_plan_" + std::to_string(getpid()) + tag;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tavrin;
    static const bool quiet = [] {
        SetMessageHandler([](const std::string&, TMsgIcon, TMsgButtons) { return TMsgAnswer::Ok; });
        return true;
    }();
    (void)quiet;
    const std::string text(reinterpret_cast<const char*>(data), size);
    TPlanRecords records;
    const TPlanRead read = ParsePlanText(text, "", records);
    if (read.result == 0) {
        const std::string written = PlanText(records);
        TPlanRecords back;
        const TPlanRead again = ParsePlanText(written, "", back);
        if (again.result != 0 || !again.wellFormed || PlanText(back) != written ||
            back.scenes.size() != records.scenes.size()) {
            std::abort();
        }
    }
    const std::string in = TempName(".kvx");
    if (FILE* f = std::fopen(in.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    TLayoutProject project;
    if (project.loadProject(in) == 0) {
        const size_t scenes = project.Layouts().size();
        if (project.saveProject() != 0) {
            std::abort();
        }
        TLayoutProject again;
        if (again.loadProject(in) != 0 || again.Layouts().size() != scenes) {
            std::abort();
        }
    }
    // A small canvas keeps the fuzzer fast; the reading does not depend on it.
    TScreenLayout runtime;
    runtime.initialize(64, 36);
    if (runtime.loadProject(in) == 0) {
        const TScreenLayout::rProjectHead* head = nullptr;
        runtime.GetInfo(head);
        int32_t checked = 0;
        const TScreenLayout::rLayout* const* p = nullptr;
        const int all = runtime.GetListForThisRectCount(0, checked, p);
        if (all != (head->layoutcount == 0 ? -1 : head->layoutcount)) {
            std::abort();
        }
        for (int i = 0; i < all; ++i) {
            if (p[i]->id != i + 1 || p[i]->rectCount > TScreenLayout::kMaxRects) {
                std::abort();
            }
            TScreenLayout::SceneTextFilter(*p[i]);
        }
    }
    std::remove(in.c_str());
    return 0;
}
