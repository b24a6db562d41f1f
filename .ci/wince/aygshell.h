// Stands for the Windows CE SDK header of this name.
#pragma once
#include "ce_only.h"
