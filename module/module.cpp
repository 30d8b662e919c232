// The plug-in module is the module/ library taken whole (its EntryPoint is
// the one exported symbol) with the layers below it; this file only gives
// the module target a source of its own.
