#include "effects/tellimor/tellimor_effect.h"

#include "shell/plugin_factory.h"

shell::EffectBase* shell::createEffect(audioMasterCallback host) {
    return new tellimor::TellimorEffect(host);
}
