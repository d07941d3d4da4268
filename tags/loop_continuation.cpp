// Builds the continuation tag of a numeric qelLoop from a table of its
// attributes in their fixed order.
#include "tags/loop_continuation.h"


namespace bw {

void appendLoopContinuation(const LoopState& state, const QelString& body, QelString& out) {
  struct Attribute {
    const char* name;
    QelString value;
  };
  const Attribute attributes[] = {
      {"first", state.first.toText()},         {"step", state.step.toText()},
      {"last", state.last.toText()},           {"indexName", state.indexName},
      {"iteration", state.iteration.toText()}, {"totalSize", state.totalSize.toText()},
  };
  QelString tag("<qelLoop");
  for (const Attribute& attribute : attributes) {
    tag.append(' ');
    tag.append(attribute.name);
    tag.append("=\"");
    tag.append(attribute.value);
    tag.append('"');
  }
  tag.append('>');
  tag.append(body);
  tag.append("</qelLoop>");
  out.append(tag);
}

}  // namespace bw
