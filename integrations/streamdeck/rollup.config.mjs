// Bundles the plug-in into one file, dev.kem-engine.streamdeck.sdPlugin/bin/plugin.js,
// as the Stream Deck application runs it (Node.js 20, no node_modules beside it).
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import commonjs from '@rollup/plugin-commonjs';
import nodeResolve from '@rollup/plugin-node-resolve';

const here = path.dirname(fileURLToPath(import.meta.url));

export default {
  input: 'src/plugin.mjs',
  output: {
    file: 'dev.kem-engine.streamdeck.sdPlugin/bin/plugin.js',
    format: 'es',
    sourcemap: false,
    inlineDynamicImports: true,
  },
  plugins: [
    nodeResolve({
      preferBuiltins: true,
      exportConditions: ['node'],
      // One ws for the SDK and the client, this package's own.
      dedupe: ['ws'],
      modulePaths: [path.join(here, 'node_modules')],
    }),
    // ws is CommonJS; its optional native helpers are tried at run time and may be absent.
    commonjs({ ignoreTryCatch: true, ignore: ['bufferutil', 'utf-8-validate'] }),
  ],
  onwarn(warning, warn) {
    if (warning.code === 'CIRCULAR_DEPENDENCY' && warning.ids?.every((id) => id.includes('node_modules'))) return;
    warn(warning);
  },
};
