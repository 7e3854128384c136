# A web space of its own on loopback, for the demo and the package test:
# nginx publishes the FTP server's folder under /site/ and answers the
# address service as deploy/nginx/tarnwick-locations.conf says; the FTP
# server (testing/ftp_server.py) takes the upload. Source this file, then
#   start_web_space WORK SOURCE_TREE FTP_USER FTP_PASSWORD
# sets web_port and ftp_port, appends both servers' process ids to the
# array pids (the caller stops them) and returns once both listen.

free_port() {
    /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

wait_port() {
    for _ in $(seq 1 200); do
        /usr/bin/python3 -c "import socket; socket.create_connection(('127.0.0.1', $1), 0.2)" 2>/dev/null && return 0
        sleep 0.05
    done
    echo "port $1 did not open" >&2
    return 1
}

start_web_space() {
    local work=$1 src=$2 user=$3 password=$4
    mkdir -p "$work/ftp" "$work/nginx/logs"
    web_port=$(free_port)
    ftp_port=$(free_port)
    cat >"$work/nginx/nginx.conf" <<CONF
$( [ "$(id -u)" -eq 0 ] && echo "user root;" )
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log;
events { worker_connections 64; }
http {
    access_log $work/nginx/logs/access.log;
    client_body_temp_path $work/nginx/body;
    proxy_temp_path $work/nginx/proxy;
    fastcgi_temp_path $work/nginx/fastcgi;
    uwsgi_temp_path $work/nginx/uwsgi;
    scgi_temp_path $work/nginx/scgi;
    server {
        listen 127.0.0.1:$web_port;
        location /site/ { alias $work/ftp/; }
        include $src/deploy/nginx/tarnwick-locations.conf;
    }
}
CONF
    /usr/sbin/nginx -p "$work/nginx/" -c "$work/nginx/nginx.conf" -g 'daemon off;' 2>"$work/nginx/logs/stderr.log" &
    pids+=($!)
    /usr/bin/python3 "$src/testing/ftp_server.py" --port "$ftp_port" --user "$user" --password "$password" \
        --home "$work/ftp" >"$work/ftp.log" 2>&1 &
    pids+=($!)
    wait_port "$web_port" && wait_port "$ftp_port"
}
