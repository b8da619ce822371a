#include "effects/pallimund/pallimund_effect.h"

#include "shell/plugin_factory.h"

shell::EffectBase* shell::createEffect(audioMasterCallback host) {
    return new pallimund::PallimundEffect(host);
}
