#include "effects/ambrelic/ambrelic_effect.h"

#include "shell/plugin_factory.h"

shell::EffectBase* shell::createEffect(audioMasterCallback host) {
    return new ambrelic::AmbrelicEffect(host);
}
