#pragma once
// The rotating picture control and the rotation it is built on.

#include "picture.h"
#include "rotate_bitmap.h"
#include "rotate_image.h"
