// Linked into the programs that start Qt WebEngine when they are built with the sanitizers.
// WebEngine's own library frees some objects with a size that does not match their type, and
// some only after the leak check (its font cache too); both are its doing, not ours, and the
// rest stays checked.

extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libQt6WebEngineCore\n"
           "leak:libQt6WebEngineWidgets\n"
           "leak:libfontconfig\n";  // the font cache WebEngine asks for
}
