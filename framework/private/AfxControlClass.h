// Framework-internal: how both backends tell a hosted control's item in a dialog template.
#pragma once

// "{...}" in an item's windowClass names a hosted control by its class id, not a window class.
bool AfxIsControlClass(const char* windowClass);
