#include "effects/hollistra/hollistra_effect.h"

#include "shell/plugin_factory.h"

shell::EffectBase* shell::createEffect(audioMasterCallback host) {
    return new hollistra::HollistraEffect(host);
}
