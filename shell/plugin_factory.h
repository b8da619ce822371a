// Each plug-in library defines this once, in its effect's source file.
#pragma once

#include "shell/effect_base.h"

namespace shell {

// Makes the library's effect; throws std::bad_alloc when memory runs out.
EffectBase* createEffect(audioMasterCallback host);

}  // namespace shell
