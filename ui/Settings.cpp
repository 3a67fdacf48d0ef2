#include "toolkit/Handles.h"
