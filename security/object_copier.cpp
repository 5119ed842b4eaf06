#include "security/object_copier.h"

#include <algorithm>
#include <new>

#include "pdfread/xref_table.h"

namespace brisel {

DecryptingCopier::DecryptingCopier(Job& job, Cursor start, Cursor end, std::vector<PlacedObject>& objects)
    : job_(job), context_(job, start, end, false), objects_(objects) {
    byNumber_.resize(objects_.size());
    for (size_t i = 0; i < byNumber_.size(); ++i) byNumber_[i] = i;
    std::sort(byNumber_.begin(), byNumber_.end(),
              [&](size_t a, size_t b) { return objects_[a].number < objects_[b].number; });
    context_.resolveLength = [this](int32_t number, int32_t generation) { return LengthOf(number, generation); };
}

int64_t DecryptingCopier::LengthOf(int32_t number, int32_t generation) const {
    auto it = std::lower_bound(byNumber_.begin(), byNumber_.end(), number,
                               [&](size_t i, int32_t n) { return objects_[i].number < n; });
    if (it == byNumber_.end() || objects_[*it].number != number) return -1;
    const PlacedObject& o = objects_[*it];
    Cursor body = LocateObject(job_, context_.start, context_.end, o.offset, number, generation);
    if (!body) {
        job_.LastError = 0;
        return -1;
    }
    const int32_t value = ReadInt(job_, body, context_.end);
    job_.LastError = 0;
    return value;
}

int DecryptingCopier::CopyUpTo(int64_t limit, std::string& out, Cursor& readPosition) {
    try {
        const Cursor start = context_.start, end = context_.end;
        if (position_ == 0 && !objects_.empty() && objects_[0].offset <= end - start &&
            start + objects_[0].offset > readPosition)
            out.append(reinterpret_cast<const char*>(readPosition), static_cast<size_t>(start + objects_[0].offset - readPosition));
        for (; position_ < objects_.size() && (limit < 0 || objects_[position_].offset < limit); ++position_) {
            if (job_.Stopped()) return job_.LastError = job_.StopCode;
            PlacedObject& o = objects_[position_];
            o.newOffset = 0;
            if (o.number == job_.Security.EncryptNumber) continue;
            Cursor body = LocateObject(job_, start, end, o.offset, o.number, o.generation);
            if (!body) return job_.LastError = -310;
            const size_t mark = out.size();
            out += std::to_string(o.number) + " 0 obj\n";
            int kind = 0;
            if (int r = RecodeObject(context_, o.number, o.generation, body, out, kind)) return r;
            if (kind == kXrefStreamObject) out.resize(mark);
            else o.newOffset = static_cast<int64_t>(mark);
        }
        readPosition = limit < 0 || limit > end - start ? end : start + limit;
        return 0;
    } catch (const std::bad_alloc&) {
        return job_.LastError = -53;
    }
}

}  // namespace brisel
