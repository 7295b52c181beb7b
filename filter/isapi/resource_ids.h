// Resource identifiers shared by OrvFilter.rc and the code that loads them.
#pragma once

// String table: the extension's description, handed to IIS by GetExtensionVersion.
#define IDS_EXTENSION_DESCRIPTION 102
