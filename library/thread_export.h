#pragma once

#include "thread_page.h"
#include "thread_store.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

// A kept picture by its hash, or nothing when it is not kept.
using PictureSource = std::function<std::optional<KeptPicture>(std::string_view hash)>;

// A kept thread as one HTML file that needs nothing beside it: the result page of the posts the
// filter shows (with bOnlyUnread those not read), bodies sanitised, the style sheet inside it and
// each kept picture inside it as a data address (bPictures; else the pictures are links to their
// addresses). GB2312, as every page of ours.
std::string ExportHtml(const StoredThread& thread, const std::vector<StoredPost>& posts,
                       const ResultFilter& filter, bool bOnlyUnread, const PictureMap& pictures,
                       bool bPictures, const PictureSource& source);

// Base64 of bytes, as data addresses write them.
std::string Base64(std::string_view bytes);

}  // namespace vesk
