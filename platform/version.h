// The plug-in's version text, as "version:", "get.info" and the vitals message give it.
#pragma once
#define KEM_ENGINE_VERSION "1.2.4"
