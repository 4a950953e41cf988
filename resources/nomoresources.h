#pragma once

// Registers the compiled-in images (":/images/...") once per process. The collection lives in a
// static library, where the linker drops it unless something refers to it: every class that shows
// an image calls this from its constructor, so programs and tests that link the library get the
// images without a registration of their own.
void nomoEnsureResources();
