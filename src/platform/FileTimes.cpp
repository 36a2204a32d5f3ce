#include "platform/FileTimes.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace vorrel::platform {

namespace {

Date toDate(const struct statx_timestamp& stamp) {
    using namespace std::chrono;
    return Date(duration_cast<Date::duration>(seconds(stamp.tv_sec) + nanoseconds(stamp.tv_nsec)));
}

}  // namespace

std::optional<Date> creationDate(const std::filesystem::path& path) {
    struct statx info {};
    if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_CTIME, &info) != 0)
        return std::nullopt;
    if (info.stx_mask & STATX_BTIME) return toDate(info.stx_btime);
    if (info.stx_mask & STATX_CTIME) return toDate(info.stx_ctime);
    return std::nullopt;
}

}  // namespace vorrel::platform
