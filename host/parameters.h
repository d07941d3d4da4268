// Typed access to the current tag's parameters, body and other host data,
// error reports and output, on top of the host callback protocol.
//
// The tag handlers never call the host directly; each operation here is one
// host exchange plus a conversion, and none keeps state.
#ifndef BRINDLEWORK_HOST_PARAMETERS_H
#define BRINDLEWORK_HOST_PARAMETERS_H

#include <cstdint>

#include "brindlework/module.h"
#include "foundation/name_key.h"
#include "foundation/qel_string.h"
#include "host/host_exchange.h"

namespace bw {

// Tag and output.
QelString getTagName(const ModuleRequest* request);
QelString getTagBody(const ModuleRequest* request);
bool writeOutput(const ModuleRequest* request, const QelString& text);  // no host call when empty
bool setErrorInfo(const ModuleRequest* request, const QelString& message, const QelString& hint);
bool yieldToHost(const ModuleRequest* request);

// Optional parameters: the default when absent; a present empty value counts.
bool getStringParameter(const ModuleRequest* request, const NameKey& name, int32_t occurrence,
                        QelString& value, const QelString& defaultValue);
bool getKeywordParameter(const ModuleRequest* request, const NameKey& name, int32_t occurrence,
                         NameKey& value, const NameKey& defaultValue);
bool getBooleanParameter(const ModuleRequest* request, const NameKey& name, int32_t occurrence,
                         bool& value, bool defaultValue);
// A parameter's value into the exchange's own buffer, for the getters that
// only convert it (flags, numbers): no string is made.  False when absent.
bool fetchParameter(const ModuleRequest* request, const NameKey& name, int32_t occurrence,
                    FetchedText& value);

// Required parameters: report the missing parameter and return false when
// absent; the handler then returns MMRP.
bool requireKeywordParameter(const ModuleRequest* request, const NameKey& name,
                             int32_t occurrence, NameKey& value);
bool requireStringParameter(const ModuleRequest* request, const NameKey& name, int32_t occurrence,
                            QelString& value);
// The missing-parameter message and hint for the current tag.
void reportMissingParameter(const ModuleRequest* request, const NameKey& name);

// Other host data.
bool getFormArgument(const ModuleRequest* request, const QelString& name, int32_t occurrence,
                     QelString& value, const QelString& defaultValue);
bool setPageVariable(const ModuleRequest* request, const QelString& name, const QelString& value);
bool getRegionProperty(const ModuleRequest* request, const QelString& name, QelString& value,
                       const QelString& defaultValue);
bool setRegionProperty(const ModuleRequest* request, const QelString& name,
                       const QelString& value);
bool removeRegionProperty(const ModuleRequest* request, const QelString& name);

// Registration, used at MIni only.
bool registerModuleName(const ModuleRequest* request, const QelString& text);
bool registerModuleVersion(const ModuleRequest* request, const QelString& text);
bool registerCompany(const ModuleRequest* request, const QelString& text);
bool registerVersionTracker(const ModuleRequest* request, const QelString& text);
bool registerTag(const ModuleRequest* request, const QelString& name, uint32_t flags);

}  // namespace bw

#endif
