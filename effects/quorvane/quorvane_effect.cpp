#include "effects/quorvane/quorvane_effect.h"

#include "shell/plugin_factory.h"

shell::EffectBase* shell::createEffect(audioMasterCallback host) {
    return new quorvane::QuorvaneEffect(host);
}
