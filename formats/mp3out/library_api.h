// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A linked library's entry points are listed once, as X(prefix, name) for the function
// prefix##name. TRIMORA_API_FIELD makes of each the field `name` of an API struct, typed from
// the library's own header and set to the function, so that the code calling through the
// struct reads the same whichever library stands behind it.
#define TRIMORA_API_FIELD(prefix, name) decltype(&prefix##name) name = &prefix##name;
