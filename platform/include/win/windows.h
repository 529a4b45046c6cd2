// Everything of the platform's base layer in one include.
#pragma once

#include "win/base.h"
#include "win/debug.h"
#include "win/devmode.h"
#include "win/error.h"
#include "win/nls.h"
#include "win/text.h"
