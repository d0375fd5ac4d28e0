#include "book_font.h"

#include "code_page.h"

#include <hb.h>

#include <hb-ot.h>
#include <hb-subset.h>
#include <memory>

namespace vesk {

namespace {

template <typename T, void (*Destroy)(T*)>
struct HbFree {
    void operator()(T* p) const { Destroy(p); }
};
using Blob = std::unique_ptr<hb_blob_t, HbFree<hb_blob_t, hb_blob_destroy>>;
using Face = std::unique_ptr<hb_face_t, HbFree<hb_face_t, hb_face_destroy>>;
using SubsetInput =
    std::unique_ptr<hb_subset_input_t, HbFree<hb_subset_input_t, hb_subset_input_destroy>>;

// The face for Chinese text: named for Simplified Chinese when the collection has one.
unsigned int ChineseFace(hb_blob_t* pBlob) {
    const unsigned int nFaces = hb_face_count(pBlob);
    for (unsigned int i = 0; i < nFaces; ++i) {
        const Face face(hb_face_create(pBlob, i));
        char szFamily[128] = "";
        unsigned int nSize = sizeof szFamily;
        hb_ot_name_get_utf8(face.get(), HB_OT_NAME_ID_FONT_FAMILY,
                            hb_language_from_string("en", -1), &nSize, szFamily);
        const std::string_view family = szFamily;
        if (family.find(" SC") != std::string_view::npos ||
            family.find(" CN") != std::string_view::npos ||
            family.find(" GB") != std::string_view::npos) {
            return i;
        }
    }
    return 0;
}

}  // namespace

bool HasChineseCharacters(const std::string& strFile) {
    const Blob blob(hb_blob_create_from_file_or_fail(strFile.c_str()));
    if (blob == nullptr || hb_face_count(blob.get()) == 0) {
        return false;
    }
    const Face face(hb_face_create(blob.get(), ChineseFace(blob.get())));
    hb_font_t* pFont = hb_font_create(face.get());
    hb_codepoint_t glyph = 0;
    // 中文: two of the commonest characters.
    const bool bChinese = hb_font_get_nominal_glyph(pFont, 0x4E2D, &glyph) != 0 &&
                          hb_font_get_nominal_glyph(pFont, 0x6587, &glyph) != 0;
    hb_font_destroy(pFont);
    return bChinese;
}

std::optional<BookFont> SubsetFont(const std::string& strFile, std::string_view text) {
    const Blob blob(hb_blob_create_from_file_or_fail(strFile.c_str()));
    if (blob == nullptr || hb_face_count(blob.get()) == 0) {
        return std::nullopt;
    }
    const Face face(hb_face_create(blob.get(), ChineseFace(blob.get())));
    if (hb_face_get_glyph_count(face.get()) == 0) {
        return std::nullopt;
    }
    const SubsetInput input(hb_subset_input_create_or_fail());
    if (input == nullptr) {
        return std::nullopt;
    }
    hb_set_t* pCharacters = hb_subset_input_unicode_set(input.get());
    for (const char32_t code : Utf8CodePoints(text)) {
        hb_set_add(pCharacters, code);
    }
    // A reader's screen needs no hinting; the book is smaller without it.
    hb_subset_input_set_flags(input.get(), HB_SUBSET_FLAGS_NO_HINTING);
    const Face subset(hb_subset_or_fail(face.get(), input.get()));
    if (subset == nullptr) {
        return std::nullopt;
    }
    const Blob bytes(hb_face_reference_blob(subset.get()));
    unsigned int nLength = 0;
    const char* pData = hb_blob_get_data(bytes.get(), &nLength);
    if (pData == nullptr || nLength == 0) {
        return std::nullopt;
    }
    const Blob cff(hb_face_reference_table(subset.get(), HB_TAG('C', 'F', 'F', ' ')));
    const bool bCff = hb_blob_get_length(cff.get()) > 0;
    return BookFont{std::string(pData, nLength), bCff ? "otf" : "ttf",
                    bCff ? "font/otf" : "font/ttf"};
}

}  // namespace vesk
