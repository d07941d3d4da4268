// The region properties page: one checkbox per tag, with which an
// administrator switches single tags off for a region of the site, and the
// per-tag region property the choice is stored in.
//
// A tag is disabled in a region only while its property holds exactly "no";
// the page writes no other value and removes the property to enable a tag.
#ifndef BRINDLEWORK_HOST_PROPERTIES_PAGE_H
#define BRINDLEWORK_HOST_PROPERTIES_PAGE_H

#include "brindlework/module.h"
#include "foundation/qel_string.h"

namespace bw {

// The only stored value, and the value an absent property reads as.
constexpr const char* kDisabledValue = "no";
constexpr const char* kEnabledValue = "yes";

// Whether the tag is enabled in the current region; any value but "no"
// (byte for byte, letter case counting) leaves it enabled.
bool isTagEnabled(const ModuleRequest* request, const char* tagName, uint32_t length);

// The HTML fragment of the page, with the boxes of enabled tags ticked.
QelString renderPropertiesPage(const ModuleRequest* request);

// Reads the submitted form and stores or removes one property per tag.
void storeProperties(const ModuleRequest* request);

}  // namespace bw

#endif
