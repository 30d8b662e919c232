// The workflow for the platforms our machines cannot run, checked offline
// against the workflow schema (the validator comes from the lock file).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { sourceDir } from './devhost.mjs';

const validator = path.join(sourceDir, 'tests/e2e/node_modules/.bin/action-validator');
const workflow = path.join(sourceDir, '.github/workflows/platforms.yml');
const validate = (file) => spawnSync(validator, [file], { encoding: 'utf8' });

test('the platforms workflow is a valid workflow', () => {
  const run = validate(workflow);
  assert.equal(run.status, 0, run.stdout + run.stderr);
});

test('the validator refuses a workflow with a misspelt key', () => {
  const broken = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'kem-workflow-')), 'platforms.yml');
  fs.writeFileSync(broken, fs.readFileSync(workflow, 'utf8').replace('runs-on: windows-2022', 'runs-onn: windows-2022'));
  assert.notEqual(validate(broken).status, 0);
});

test('the workflow runs make test on both macOS runners and builds the Windows module', () => {
  const text = fs.readFileSync(workflow, 'utf8');
  for (const needed of ['runner: macos-13', 'runner: macos-14', 'run: make test', 'runs-on: windows-2022', '--target KEMEngine']) {
    assert.ok(text.includes(needed), needed);
  }
});
