#include "split/part_count.h"

#include <algorithm>

#include "docstruct/document.h"
#include "pdfread/xref_table.h"
#include "split/part_plan.h"
#include "split/split_stages.h"

namespace brisel {

int32_t QueryBookmarkParts(Job& job, const std::string& inputPath, std::vector<int32_t>& partsPerLevel) {
    partsPerLevel.clear();
    job.LastError = 0;
    Document doc;
    Result<Block> loaded = LoadFile(inputPath, &job.InputFault);
    job.LastError = loaded.code();
    if (loaded) doc.image = std::move(*loaded);
    if (doc.image.empty() || job.Stopped()) return -1;
    job.InflateLimit = std::max<uint64_t>(AppState::kMinInflateLimit, uint64_t{job.app.InflateFactor} * doc.image.size());
    // Bookmark titles and destinations of an encrypted file need its key.
    if (ReadUntilClassic(job, doc) != 0) return -1;
    const ViewerSettings viewer = job.Viewer;
    job.Viewer = ViewerSettings();
    job.NeedOutlines = true;
    const Result<int32_t> analyzed = AnalyzeOrRepair(job, doc, false);
    job.Viewer = viewer;
    job.LastError = analyzed.code();
    const int32_t count = analyzed.value_or(-1);
    if (count < 1 || job.Stopped()) return -1;
    int32_t deepest = 0;
    for (size_t r = 1; r < doc.outlines.size(); ++r) deepest = std::max(deepest, doc.outlines[r].depth);
    // One pass over the bookmarks per level, for the levels a person picks
    // from: a hostile file's nesting makes no quadratic work.
    deepest = std::min(deepest, kPartLevelsCounted);
    for (int32_t level = 1; level <= deepest && !job.Stopped(); ++level) {
        PartRequest request;
        request.mode = PartMode::AtBookmarks;
        request.level = level;
        std::vector<Part> parts;
        partsPerLevel.push_back(PlanParts(request, doc.outlines, count, 0, count, parts) ? static_cast<int32_t>(parts.size())
                                                                                       : 0);
    }
    return job.Stopped() ? -1 : count;
}

}  // namespace brisel
