#include "effects/wendrake/wendrake_effect.h"

#include "shell/plugin_factory.h"

shell::EffectBase* shell::createEffect(audioMasterCallback host) {
    return new wendrake::WendrakeEffect(host);
}
