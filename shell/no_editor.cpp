// Libraries built without an editor: the editor opcodes then answer 0 and the
// record does not announce an editor.
#include "shell/effect_editor.h"

namespace shell {

EffectEditor* createEditor(EffectBase&) { return nullptr; }

}  // namespace shell
