// The resource bundle is attached to this library by qt_add_resources; this
// file only gives the library a translation unit of its own.
int keboResourcesLinked = 1;
