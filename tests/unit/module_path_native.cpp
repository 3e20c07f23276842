#include "standin_control.h"
#include "test_site.h"

void SetTestModulePath(const std::string& windowsPath) { SetModulePath(windowsPath); }
