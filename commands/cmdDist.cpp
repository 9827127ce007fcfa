// Distance commands (the analyses land later; until then they say so as user errors).
#include "commands/cmdDist.h"

#include "core/zelLog.h"

void scVcfPwUDist() {
  iscZelHasError(true);
  iscZelUserError("Pairwise distances are not available yet");
}

void scPCoA() {
  iscZelHasError(true);
  iscZelUserError("PCoA is not available yet");
}
