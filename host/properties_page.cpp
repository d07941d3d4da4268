// Rendering and storing the region properties page.
//
// The fragment is fixed HTML around a three-column grid of checkboxes, one
// per name of the tag-name list in order; the last row is padded with
// empty cells.  Names go in unescaped: they are the module's own constants.
#include "host/properties_page.h"

#include <cstring>

#include "host/host_exchange.h"
#include "host/module_constants.h"
#include "host/parameters.h"

namespace bw {

namespace {

constexpr int kColumns = 3;

constexpr const char* kPageOpening =
    "<table width=\"100%\" border=\"2\" cellspacing=\"1\" cellpadding=\"4\" align=\"center\">"
    "\r\n<tr>\r\n<td>"
    "\r\n<table width=\"95%\" border=\"0\" cellspacing=\"0\" cellpadding=\"1\" align=\"center\">"
    "\r\n<tr><td colspan=\"3\">Deselect any QEL tags that should be disabled for this "
    "region.<br><br></td></tr>";
constexpr const char* kPageClosing = "\r\n</table>\r\n</td>\r\n</tr>\r\n</table>";

constexpr const char* kRowOpening = "\r\n<tr><td width=\"33%\">";
constexpr const char* kCellSeparator = "</td><td width=\"33%\">";
constexpr const char* kRowEnd = "</td></tr>";
constexpr const char* kCheckboxStart = "<input type=\"checkbox\" name=\"";
constexpr const char* kCheckboxValue = "\" value=\"yes\"";
constexpr const char* kTickedMark = " CHECKED";
constexpr const char* kCheckboxEnd = ">";
constexpr const char* kEmptyCell = "&nbsp;";

void appendCell(const ModuleRequest* request, const char* name, QelString& page) {
  if (name == nullptr) {
    page.append(kEmptyCell);
    return;
  }
  QelString tagName(name);
  QelString value;
  getRegionProperty(request, tagName, value, QelString(kEnabledValue));
  page.append(kCheckboxStart);
  page.append(tagName);
  page.append(kCheckboxValue);
  if (value.compare(kEnabledValue) == CompareResult::Equal) page.append(kTickedMark);
  page.append(kCheckboxEnd);
  page.append(tagName);
}

}  // namespace

bool isTagEnabled(const ModuleRequest* request, const char* tagName, uint32_t length) {
  // Only a stored "no" disables a tag; an absent property leaves it enabled.
  TextIn nameIn(tagName, length);
  FetchedText value;
  if (!fetchInto(request, MGPr, &nameIn, nullptr, value)) return true;
  const uint32_t disabledLength = static_cast<uint32_t>(std::strlen(kDisabledValue));
  return !(value.size() == disabledLength &&
           std::memcmp(value.data(), kDisabledValue, disabledLength) == 0);
}

QelString renderPropertiesPage(const ModuleRequest* request) {
  QelString page(kPageOpening);
  const char* const* next = tagNameList();
  while (*next != nullptr) {
    page.append(kRowOpening);
    for (int column = 0; column < kColumns; ++column) {
      if (column != 0) page.append(kCellSeparator);
      appendCell(request, *next, page);
      if (*next != nullptr) ++next;
    }
    page.append(kRowEnd);
  }
  page.append(kPageClosing);
  return page;
}

void storeProperties(const ModuleRequest* request) {
  const QelString disabled(kDisabledValue);
  for (const char* const* name = tagNameList(); *name != nullptr; ++name) {
    QelString tagName(*name);
    QelString value;
    // An unticked box sends nothing, which disables its tag.
    if (!getFormArgument(request, tagName, 0, value, QelString()) || value.isEmpty())
      value = disabled;
    if (value.compare(kDisabledValue) == CompareResult::Equal)
      setRegionProperty(request, tagName, disabled);
    else
      removeRegionProperty(request, tagName);
  }
}

}  // namespace bw
