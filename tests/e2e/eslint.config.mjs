// ESLint for the page's modules (platform/web/) and the browser tests and benchmarks that drive
// it, run from the project's root by scripts/check-style.sh.
import js from '@eslint/js';
import globals from 'globals';

export default [
  js.configs.recommended,
  {
    files: ['platform/web/**/*.js'],
    languageOptions: { sourceType: 'module', globals: { ...globals.browser } },
  },
  {
    files: ['tests/e2e/**/*.mjs', 'bench/browser/**/*.mjs'],
    languageOptions: { sourceType: 'module', globals: { ...globals.node, ...globals.browser } },
  },
  {
    rules: {
      'no-unused-vars': ['error', { args: 'none', caughtErrors: 'none' }],
    },
  },
  // Lines of at most 100 columns, as in the C++; a long string, address or pattern is left whole.
  {
    files: ['platform/web/**/*.js', 'tests/e2e/**/*.mjs', 'bench/browser/**/*.mjs'],
    rules: {
      'max-len': ['error', { code: 100, ignoreStrings: true, ignoreTemplateLiterals: true,
        ignoreUrls: true, ignoreRegExpLiterals: true }],
    },
  },
];
