#include "effects/orvethil/orvethil_effect.h"

#include "shell/plugin_factory.h"

shell::EffectBase* shell::createEffect(audioMasterCallback host) {
    return new orvethil::OrvethilEffect(host);
}
