// Built against one layer alone by the layering test: the header named by
// TAVELO_LAYERING_HEADER resolves when it is the layer's own or below it.
#include TAVELO_LAYERING_HEADER
