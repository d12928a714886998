#include "engrave/layouts/arc.h"

#include "settings/error.h"

// Placeholder until the circle layout lands.
namespace stylor {
void CreateArc(const EngraveSettings&, const StrokeFont&, JobHost&) {
  throw Error("Circle text is not available in this build");
}
void EngraveArc(ProgramStore&, const std::string&, const PreparedJob&, Point2, double,
                std::string_view, const ArcLayout&, int, const StrokeFont&) {
  throw Error("Circle text is not available in this build");
}
}  // namespace stylor
