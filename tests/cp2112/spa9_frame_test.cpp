#include "cp2112/spa9_frame.h"

#include <gtest/gtest.h>
