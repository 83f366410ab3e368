// The contents of a fresh card.
#pragma once

#include "state.h"

namespace tarnwick::vcard {

Persistent DefaultProfile();

}  // namespace tarnwick::vcard
