'use strict';
// The sample converted, then every page and stylesheet of it given to the
// Nu Html Checker.
//   node validate_pages.js --batch build/plain/src/cli/postloom-batch
const { test, after } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { spawnSync } = require('node:child_process');
const { fileURLToPath } = require('node:url');
const { requireTools, batchProgram, convertSample } = require('./sample_site');

requireTools({ java: true });
const vnuJar = String(require('vnu-jar'));

const site = convertSample(batchProgram());
after(() => site.remove());

test('the Nu Html Checker finds no error on any page or stylesheet', () => {
    const run = spawnSync(
        'java',
        ['-jar', vnuJar, '--errors-only', '--also-check-css', '--format', 'json', '--stdout', ...site.pages, ...site.stylesheets],
        { encoding: 'utf8', maxBuffer: 64 * 1024 * 1024 },
    );
    let messages;
    try {
        messages = JSON.parse(run.stdout).messages;
    } catch {
        assert.fail(`the checker gave no report (exit status ${run.status}):\n${run.stderr}`);
    }
    const errors = messages
        .filter((m) => m.type === 'error' || m.subType === 'fatal')
        .map((m) => {
            const file = m.url ? path.relative(site.site, fileURLToPath(m.url)) : '?';
            return `${file}:${m.lastLine ?? '?'}: ${m.message}${m.extract ? ` [${m.extract.replace(/\s+/g, ' ').trim()}]` : ''}`;
        });
    if (errors.length > 0)
        assert.fail(`${errors.length} errors, the first ones:\n${errors.slice(0, 100).join('\n')}`);
    assert.equal(run.status, 0, run.stderr);
});
