#include "engrave/layouts/ellipse.h"

#include "settings/error.h"

// Placeholder until the ellipse layout lands.
namespace stylor {
void CreateEllipse(const EngraveSettings&, const StrokeFont&, JobHost&) {
  throw Error("Ellipse text is not available in this build");
}
}  // namespace stylor
